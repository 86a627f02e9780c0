#pragma once

// A place the operator can watch and act on (a door).
class CPlace
{
public:
    virtual ~CPlace();
    // True while the status word reports the place open (bit 0x2).
    virtual bool IsOpen() const = 0;
    virtual bool IsWorkMode6Or9() const = 0;
};
