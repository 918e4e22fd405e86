// Texts of a file shown in a message as the file holds them.
#ifndef KM_FOUNDATION_KMSHOWNTEXT_H
#define KM_FOUNDATION_KMSHOWNTEXT_H

#include "foundation/KmString.h"

// sText with each character that a screen shows as a blank but that is no
// blank to the readers (a blank is a byte 0x01 to 0x20) written as its
// UTF-8 bytes: the no-break spaces U+00A0, U+2007 and U+202F as
// "\xC2\xA0", "\xE2\x80\x87" and "\xE2\x80\xAF", the ideographic space
// U+3000 as "\xE3\x80\x80", and the zero-width U+200B and U+FEFF. A key
// "Field delimiter" followed by a no-break space then shows as
// "Field delimiter\xC2\xA0", not as a key with a trailing blank.
KmString ShownText(const KmString& sText);

// True when sText begins or ends with such a character.
bool HasHiddenSpaceBeside(const KmString& sText);

#endif  // KM_FOUNDATION_KMSHOWNTEXT_H
