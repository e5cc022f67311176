#pragma once
// The troubleshooter's topics: the tree of problems and questions with the
// id of each node's answer, the error codes that preselect a topic, and how
// the composed ("generic") answers are put together.
#include <optional>
#include <string>
#include <vector>

namespace tlm::troubleshooter {

inline constexpr int kNoTopic = -1;           // group lines
inline constexpr int kAnalysisTopic = 202;    // composed from the settings
inline constexpr int kSupportTopic = 666;     // the technical support text
inline constexpr int kSendingGeneral = 200;
inline constexpr int kReceivingGeneral = 201;
inline constexpr int kUnmatchedError = 255;   // no node carries it

struct TopicNode {
  std::string title;
  int id = kNoTopic;
  std::vector<TopicNode> children;
};

// The tree in display order.
const std::vector<TopicNode>& TopicTree();

// The topic an error window opens for a fax error code (negative, as the
// sessions report it), when sending or receiving.
int TopicForError(int errorCode, bool sending);

// How a composed answer is put together.
struct GenericAnswer {
  int entry = 0;              // the topic container entry it starts from
  bool checkOtherEnd = false; // "First, ensure there is a faxmodem ..." lines
  bool sendingConfiguration = false;
  bool receivingConfiguration = false;
};
std::optional<GenericAnswer> GenericAnswerFor(int id);

}  // namespace tlm::troubleshooter
