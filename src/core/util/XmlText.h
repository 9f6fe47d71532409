#pragma once
// The texts of the program's XML files (settings, archives) and of feeds:
// the nesting limit that keeps a hostile text from exhausting the stack, and
// the forms of a text that read back unchanged from a file the program writes.

#include <cstddef>
#include <string>
#include <string_view>

namespace tessarine {

// White space as the parser sees it: blank, tab, line feed, vertical tab,
// form feed, carriage return.
bool IsXmlWhiteSpace(char c);

// A text that nests elements deeper than this is not handed to the XML
// parser: TinyXML follows nesting by recursion, on the calling thread's stack.
inline constexpr std::size_t kMaxXmlDepth = 1000;

// Whether the elements of an XML text nest deeper than `limit`, judged by a
// quick scan of its tags (comments, CDATA sections, declarations and quoted
// attribute values are skipped as the parser skips them).
bool NestsDeeperThan(std::string_view text, std::size_t limit);


// The text to hand to TinyXML's Parse. In UTF-8 documents TinyXML steps
// over a character by the length its first byte announces, even past the end
// of the text, and reads on from there: a text with such a byte among its
// last three is copied into `padded` with zero bytes after its end, so that
// every read stays inside the buffer. Other texts are used as they are.
const char* ParserInput(const std::string& text, std::string& padded);

// The text as valid UTF-8: every byte that is not part of a well-formed UTF-8
// sequence is read as the Latin-1 character of that value (so a Latin-1 text
// comes out right). A valid text is returned unchanged. The program's files
// are read as UTF-8, and there a stray byte makes the parser swallow the
// markup after it: every text written to them goes through this first.
std::string ValidUtf8(std::string_view text);

// A URL as valid UTF-8: every byte that is not part of a well-formed UTF-8
// sequence percent-encoded ("%FF"), the form in which a request carries that
// byte. A valid URL is returned unchanged. Unlike ValidUtf8 this never makes
// a URL the same as another one that asks for something else ("\xFF" and
// "\xC3\xBF" stay apart).
std::string UrlAsValidUtf8(std::string_view url);

// The text with white space condensed as the parser condenses element text:
// each run of white space becomes one blank, white space at either end goes,
// and so do byte order marks (U+FEFF, U+FFFE, U+FFFF) in front of the first
// other character, which the parser skips like white space.
std::string CondensedText(std::string_view text);

} // namespace tessarine
