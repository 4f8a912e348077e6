#include "run/TextPosition.h"

void TTextPosition::Advance(char32_t Code) noexcept
{
    if (AtStart) {
        AtStart = false;
        if (Code == 0xFEFF)
            return;
    }
    if (Code == U'\n' && AfterCr) {
        AfterCr = false;
        return;
    }
    AfterCr = Code == U'\r';
    if (Code == U'\n' || Code == U'\r') {
        ++LineNumber;
        ColumnNumber = 1;
    } else {
        ++ColumnNumber;
    }
}
