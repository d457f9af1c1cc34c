#pragma once

// The common base of the framework's classes.
class TObject
{
public:
    virtual ~TObject() = default;
};
