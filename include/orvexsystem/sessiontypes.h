#ifndef ORVEXSYSTEM_SESSIONTYPES_H
#define ORVEXSYSTEM_SESSIONTYPES_H

namespace Orvexsystem {

/// Unit of a question's duration: 1 selects the longer unit (bit 7 of the
/// time byte); any other value the shorter one.
enum TimeUnit { TimeUnit_Seconds = 0, TimeUnit_Minutes = 1 };

/// How a multiple-choice answer is presented to the host.
enum DisplayOption {
    DisplayOption_Numeric = 0,
    DisplayOption_LowerCase = 1,
    DisplayOption_UpperCase = 2
};

/// Characters a handset may enter while naming itself; 1 to 4 are sent as
/// they are, anything else as 0.
enum CharacterType {
    CharacterType_None = 0,
    CharacterType_Type1 = 1,
    CharacterType_Type2 = 2,
    CharacterType_Type3 = 3,
    CharacterType_Type4 = 4
};

} // namespace Orvexsystem

#endif
