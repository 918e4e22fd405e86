// Texts of a file, another process or the system shown in a message as
// they are, never obeyed by the terminal that shows them.
#ifndef KM_FOUNDATION_KMSHOWNTEXT_H
#define KM_FOUNDATION_KMSHOWNTEXT_H

#include <cstdio>

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

// sText, a message, with every character a terminal would obey rather than
// show written visibly, and its line feeds and tabs kept: the controls
// 0x01 to 0x1F as "\a", "\b", "\v", "\f", "\r" or "\x" and two upper-case
// hexadecimal digits ("\x1B" for the escape that begins "ESC[2J"), DEL as
// "\x7F", the controls U+0080 to U+009F as their UTF-8 bytes
// ("\xC2\x9B"), a byte 0x80 to 0x9F that is no part of a UTF-8 character
// (a control of an 8-bit terminal) as "\x9B", and the direction marks and
// overrides U+061C, U+200E, U+200F, U+202A to U+202E and U+2066 to U+2069
// by their UTF-8 bytes ("\xE2\x80\xAE" for U+202E). Every other byte is
// kept: valid UTF-8 text such as an accented label, and a byte 0xA0 to
// 0xFF of another encoding. Backslashes are kept, so a text already shown
// (ShownText, ShownName) is shown unchanged. A carriage return that ends a
// line ("\r\n", the line break a call path's lines are joined with) is the
// message's own and is written as the line feed alone, the line end of the
// program's text files. Every line a run prints and its error file's text
// pass through it (PrintShown).
KmString ShownMessage(const KmString& sText);

// sText, a name quoted in a message (a file or folder name, a process's
// command name, an account, a name that a journal or record holds), as
// ShownMessage shows it, with its line feeds and tabs written "\n" and "\t"
// too, so the name stays on its line, and a backslash before a letter that
// begins an escape ("abfnrtvx") or before another backslash written "\\",
// so the name reads back exactly: a name holding the text "\x0a" shows as
// "\\x0a", one holding a line feed as "\n".
KmString ShownName(const KmString& sText);

// Writes ShownMessage(sText) to pStream (standard output or standard error),
// never as a format, and flushes it.
void PrintShown(std::FILE* pStream, const KmString& sText);

#endif  // KM_FOUNDATION_KMSHOWNTEXT_H
