#include "app/core/button_states.h"

namespace tlm {

ButtonStates ComputeButtonStates(const ButtonInputs& in) {
  const bool shownHasRecord = in.outgoingTabShown ? in.outgoingHasRecord : in.receivedHasRecord;
  ButtonStates s;
  s.faxGrid = in.outgoingHasRecord;
  s.recFaxGrid = in.receivedHasRecord;
  s.newFax = in.outgoingTabShown;
  s.cloneFax = in.outgoingTabShown && in.outgoingHasRecord;
  s.send = in.outgoingHasRecord;
  s.receiveFaxes = !in.receiveMode;
  s.editDelete = shownHasRecord;
  s.view = shownHasRecord;
  return s;
}

OrderChange DecideOrderChange(bool hasCurrentRecord, int currentOrder) {
  if (!hasCurrentRecord && currentOrder != 0) return OrderChange::kNaturalOrder;
  if (hasCurrentRecord && currentOrder == 0) return OrderChange::kDefaultTagAndTop;
  return OrderChange::kNone;
}

}  // namespace tlm
