#include <orvexsystem/enhancedquestion.h>

namespace Orvexsystem {

EnhancedQuestion::~EnhancedQuestion() = default;

int EnhancedQuestion::type() const
{
    return 0;
}

} // namespace Orvexsystem
