// The table of tlmfax's subcommands and their help texts.
#include "commands.h"

namespace tlm::tlmfax {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"info", RunInfo, "Print a fax file's header and one line per page", "tlmfax info FILE.APF",
       "Each page line gives its offset, size, resolution, width and line layout.\n"},
      {"convert", RunConvert, "Convert a text file, an image or a PDF file into a fax file",
       "tlmfax convert [--fine] [--wide] [--type text|textex|tiff|pcx|dcx|bmp|pdf] [--pages A-B] INPUT OUTPUT.APF",
       "  --fine      fine resolution (196 lines per inch) instead of standard (98)\n"
       "  --wide      2048-pixel lines instead of 1728\n"
       "  --type T    the input's type; taken from its extension when not given.\n"
       "              'textex' draws the text with an outline font.\n"
       "  --pages A-B only these pages of a PDF file (from 1)\n"
       "Each PDF page is rendered at the fax resolution and fitted to the line width.\n"
       "A failed conversion leaves an older OUTPUT.APF as it was.\n"},
      {"unpack", RunUnpack, "Write pages of a fax file as images",
       "tlmfax unpack FILE.APF --page N --format bmp|pcx|dcx|pbm OUTPUT",
       "  --page N    the page, from 1; 0 with --format dcx writes every page\n"
       "  --format F  the image format of OUTPUT\n"},
      {"send", RunSend, "Send a fax file, a PDF file or an image through a fax modem",
       "tlmfax send --port PATH|COMn [--class auto|1|2|2.0] [--bps N] [--ecm|--no-ecm]\n"
       "              [--coding mh|mr|mmr] [--station ID] [--header TEXT] [--no-mps] [--cover FILE]\n"
       "              [--dial-wait S] [--attempts N] [--retry-wait S] [--history FILE] [--fine]\n"
       "              NUMBER FILE",
       "Prints each status change, then 'result: 0 ...' or 'result: CODE TEXT'; exits 0\n"
       "only when the fax was sent. Ctrl-C cancels the call.\n"
       "FILE (and the cover) may be a PDF file or a TIFF, PCX, DCX or BMP image: it is\n"
       "converted on the way, at fine resolution with --fine, and nothing is left behind.\n"
       "Class 1: --ecm allows error correction, --coding the most compact coding used when\n"
       "the remote takes it (default mmr; MMR needs error correction); the call's coding and\n"
       "error correction are printed as 'session: ...'.\n"
       "The header text takes the tokens $D $T $I $S $R $F $P $N (date, time, station ID,\n"
       "sender, recipient, title, page, pages).\n"
       "COMn names a port through the [Ports] section of TLM.INI in the data folder.\n"},
      {"receive", RunReceive, "Answer fax calls and store each fax",
       "tlmfax receive --port PATH|COMn [--class auto|1|2|2.0] [--bps N] [--rings N] [--station ID]\n"
       "                 [--ecm|--no-ecm] [--coding mh|mr|mmr] [--dir DIR] [--once]",
       "Each fax is stored as FAX0001.APF, FAX0002.APF, ... in DIR (default: the current\n"
       "folder). --once stops after one call; otherwise Ctrl-C ends it.\n"
       "Class 1: --ecm offers error correction, --coding the most compact coding offered\n"
       "(default mmr; MMR needs error correction). Each call prints its coding and error\n"
       "correction as 'session: ...'.\n"},
      {"queue", RunQueue, "Add a fax to the outgoing log of a data folder",
       "tlmfax queue --dir DATA [--to NAME] [--subject TEXT] [--cover COVER.rtf] [--doc DOC.rtf] NUMBER",
       "The fax is stored as the fax editor stores one, ready to send from the program.\n"
       "The program must not have the data folder's logs open meanwhile.\n"},
#ifdef TLMFAX_RENDER
      {"render", RunRender, "Build a fax file from a rich-text cover and document",
       "tlmfax render [--cover COVER.rtf] [--doc DOC.rtf] OUTPUT.APF",
       "The pages are laid out exactly as sending lays them out; prints the page count.\n"},
#endif
#ifdef TLMFAX_VIEWER
      {"pdf", RunPdf, "Write a fax file as a PDF file", "tlmfax pdf FILE.APF OUT.pdf",
       "One PDF page per fax page at the fax's physical size, each page a 1-bit image.\n"},
      {"print", RunPrint, "Print a fax file",
       "tlmfax print [--printer NAME | --pdf OUT.pdf] [--pages A-B] [--multipage] [--no-header]\n"
       "               [--no-footer] FILE.APF",
       "  --printer NAME  a printer of the system; an unknown name prints on the current one\n"
       "  --pdf OUT.pdf   print into a PDF file instead\n"
       "  --pages A-B     only these pages\n"
       "  --multipage     several fax pages a sheet, as set in the viewer's print choices\n"
       "  --no-header     leave out the header line (\"FILE: $F\")\n"
       "  --no-footer     leave out the footer line (\"Page: $P of $N\")\n"},
#endif
  };
  return commands;
}

const Command* FindCommand(const std::string& name) {
  for (const Command& command : Commands()) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

}  // namespace tlm::tlmfax
