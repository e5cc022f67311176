#pragma once
// The remote fax machines of --receiver and --sender, checked before the
// line starts: a sender's document must be a readable 1-bit TIFF.
#include <memory>
#include <string>

#include "exchange.h"
#include "remote_fax.h"

namespace faxline {

// "NUMBER:DIR[:OPT...]"
std::unique_ptr<RemoteFax> makeReceiver(Exchange& ex, const std::string& option);
// "NUMBER:FILE:CALL[:DELAY[:OPT...]]"
std::unique_ptr<RemoteFax> makeSender(Exchange& ex, const std::string& option);

}  // namespace faxline
