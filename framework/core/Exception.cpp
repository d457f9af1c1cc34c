#include "framework/core/Exception.h"

Exception::Exception(const AnsiString& message) : Message(message)
{
}

const char* Exception::what() const noexcept
{
    return Message.c_str();
}
