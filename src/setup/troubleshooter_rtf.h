#pragma once
// The rich-text pieces the troubleshooter's answers are assembled from, and
// the few RTF operations that join them. Every piece is a complete RTF
// document with the same font and colour tables; its "body" is what lies
// between the colour table and the final "}\r\n", so bodies can be spliced
// from one document into another.
#include <string>
#include <string_view>

namespace tlm::troubleshooter {

// The token a paragraph template carries for its text, and the one an
// answer's heading carries for the topic's title.
inline constexpr std::string_view kAnythingToken = "%ANYTHING%";
inline constexpr std::string_view kTitleToken = "%TITLE%";

// The three paragraph templates.
const std::string& BulletTemplate();
const std::string& PlainTemplate();
const std::string& HeaderTemplate();

// An empty document: the common header and "}\r\n".
std::string EmptyDocument();
// A document that begins with the centred heading "%TITLE%".
std::string TitledDocument();

// Plain UTF-8 text as RTF text: backslashes and braces escaped, characters
// beyond ASCII written as \uN with a '?' fallback.
std::string RtfEscape(std::string_view text);

// Replaces every occurrence of `token`, left to right, case-sensitive.
std::string ReplaceToken(std::string text, std::string_view token, std::string_view replacement);

// What follows the closing brace of the "{\colortbl" group, without the
// text's last three characters; empty when there is no such group.
std::string RtfBody(const std::string& rtf);

// Appends the body of `rtf` to `document` (whose last three characters are
// dropped and put back as "}\r\n"); a blank body appends nothing.
void AppendBody(std::string& document, const std::string& rtf);

// Appends a paragraph made from `pieceTemplate` with `text` (plain text,
// escaped here) in place of %ANYTHING%; blank text appends nothing.
void AppendPiece(std::string& document, const std::string& pieceTemplate, std::string_view text);

}  // namespace tlm::troubleshooter
