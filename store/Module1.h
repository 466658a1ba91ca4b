#pragma once
// The shared objects every window reaches the logbook through; alive for the whole run.
#include <cstdint>
#include <memory>
#include <string>

#include "store/Connection.h"
#include "store/Recordset.h"

namespace Module1 {

extern std::shared_ptr<store::Connection> conLog;  // the one connection to the logbook
extern std::shared_ptr<store::Recordset> rsLog;     // all entries
extern std::shared_ptr<store::Recordset> rsEdit;    // the entry being edited; new for every edit
extern std::string strImagePath;                    // the main window's picture file
extern std::int64_t intLogId;                       // logid of the entry chosen for editing

} // namespace Module1
