#pragma once
// Which of the main window's controls are usable, from the state of the two
// logs, the tab shown and receive mode; and how a log's order follows whether
// it has a current record.
namespace tlm {

struct ButtonInputs {
  bool outgoingTabShown = true;
  bool outgoingHasRecord = false;  // the outgoing log has a current record
  bool receivedHasRecord = false;  // the received log has a current record
  bool receiveMode = false;
};

struct ButtonStates {
  bool faxGrid = false;
  bool recFaxGrid = false;
  bool newFax = false;        // New button and "&New Fax"
  bool cloneFax = false;      // "Clone Fax"
  bool send = false;          // Send button and "Send Fax"
  bool receiveFaxes = false;  // "Receive Faxes"
  bool editDelete = false;    // Edit, Delete and their menu items
  bool view = false;          // View button and "View/Print Fax"
  bool operator==(const ButtonStates&) const = default;
};

ButtonStates ComputeButtonStates(const ButtonInputs& in);

// A log without a current record drops its index order (so an empty filtered
// list is not held on a tag); one with a record but no order gets its
// default tag back and moves to its first row.
enum class OrderChange { kNone, kNaturalOrder, kDefaultTagAndTop };
OrderChange DecideOrderChange(bool hasCurrentRecord, int currentOrder);

}  // namespace tlm
