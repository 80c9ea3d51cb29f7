// Exits with the message language this process settles on (it is read once per process).
#include "OvErrorObject.h"

int wmain()
{
    return static_cast<int>(OvBase::GetMessageLanguage());
}
