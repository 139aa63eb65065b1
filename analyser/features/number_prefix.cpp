#include "number_prefix.h"

int CNumberPrefix::Analyse(IVirusCaptorDataProvidor* record) {
    const unsigned char first = static_cast<unsigned char>(record->GetBaseName()[0]);
    // Bytes from 0x80 up are lead or single bytes of the code page, never digits.
    return first >= '0' && first <= '9' ? 1 : 0;
}
