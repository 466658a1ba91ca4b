#include "store/Module1.h"

namespace Module1 {

std::shared_ptr<store::Connection> conLog;
std::shared_ptr<store::Recordset> rsLog;
std::shared_ptr<store::Recordset> rsEdit;
std::string strImagePath;
std::int64_t intLogId = 0;

} // namespace Module1
