#pragma once

#include "framework/core/AnsiString.h"

#include <exception>

// Every failure of the framework is an Exception (or derived from it); its
// Message is meant for the user.
class Exception : public std::exception
{
public:
    explicit Exception(const AnsiString& message);

    const char* what() const noexcept override;

    AnsiString Message;
};
