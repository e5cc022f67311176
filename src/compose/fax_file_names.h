#pragma once
// The working files of fax assembly, all in the program's data folder.
#include <string>

namespace tlm {

inline constexpr const char* kMemoTransferFileName = "Eraseme.rtf";
inline constexpr const char* kPageBitmapFileName = "_TMP.BMP";
inline constexpr int kMaxFaxFileNumber = 1000;

// The first page's file: folder + "TLM_n.APF" for the lowest n from 1 to
// 1000 that does not exist yet, else folder + "TLM1.APF". `folder` ends in '/'.
std::string FindFreeFaxFileName(const std::string& folder);

// The file of page `pageNumber` (from 1) of a fax: the first page's file for
// page 1, else folder + "TLMAX" + pageNumber + ".APF".
std::string PageFaxFileName(const std::string& folder, int pageNumber, const std::string& firstPageName);

}  // namespace tlm
