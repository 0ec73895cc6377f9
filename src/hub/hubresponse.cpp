#include <orvexsystem/hubresponse.h>

namespace Orvexsystem {

HubResponse::~HubResponse() = default;

IResponseHandler::~IResponseHandler() = default;

} // namespace Orvexsystem
