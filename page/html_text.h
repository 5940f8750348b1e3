// Text made safe for an HTML page: whatever bytes a file name or an EXIF value
// holds, the page shows them as text and never as markup.
#ifndef PHOTOCHECK_PAGE_HTML_TEXT_H
#define PHOTOCHECK_PAGE_HTML_TEXT_H

#include <string>
#include <string_view>

// Appends `text` to `page` as HTML text (fit for an element or a quoted
// attribute). Valid UTF-8 sequences stay as they are; a byte that is not part
// of one, every control byte and a backslash (where it is no path separator) are
// shown as "\xNN"
// (two upper-case hex digits), so a name the file system holds in another
// encoding stays exact and visible, and no name can look like another. The
// characters a browser draws as nothing (Unicode's default-ignorable code
// points: U+00AD, U+200B-200F, U+2060-206F, U+FEFF, the variation selectors,
// the tags U+E0000-E0FFF, ...) and those that reorder or break a line
// (U+202A-202E, U+2028, U+2029) are shown as "\uNNNN", or "\u{NNNNN}" above
// U+FFFF. & < > " ' become character references.
void appendHtmlText(std::string& page, std::string_view text);

// The same shown form without the character references, for text the page's
// script sets as text (the map's data): valid UTF-8 with no control byte.
void appendShownText(std::string& page, std::string_view text);

// The HTML form, returned.
std::string htmlText(std::string_view text);

#endif  // PHOTOCHECK_PAGE_HTML_TEXT_H
