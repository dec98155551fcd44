// The lead bytes of code page 932, for running the cutter off Windows.
#ifndef LUMAQUILL_TESTS_CP932_H
#define LUMAQUILL_TESTS_CP932_H

inline int IsCp932LeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

#endif
