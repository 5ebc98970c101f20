#include "RaisedError.h"

#include "LookupTables.h"

namespace SonbrelMP3 {

void raiseCode(std::int32_t number)
{
    throw RaisedError(number, QString::fromLatin1(kPlayerErrorSource), ErrorText(number));
}

}  // namespace SonbrelMP3
