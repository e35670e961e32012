#pragma once

// Plain text files as Glossmith reads and writes them, at the byte level.
//
// In the program a text is UTF-8 whose line breaks are CR LF pairs.
//
// Written form: the text exactly as it is, followed by one CR LF; UTF-8, no
// byte-order mark.
//
// Read form:
//   1. Decoding: a file that is valid UTF-8 is taken as UTF-8. Otherwise the
//      bytes that belong to no well-formed UTF-8 sequence are stray, and:
//        - when the file holds at least as many multi-byte UTF-8 sequences
//          as stray bytes, it is UTF-8 with a few stray bytes: the sequences
//          stay as they are and each stray byte is decoded as Windows-1252;
//        - otherwise the whole file is Windows-1252, the code page of files
//          written on older systems, so it opens legibly instead of being
//          rejected.
//      A leading UTF-8 byte-order mark is dropped when the file is read as
//      UTF-8, with or without stray bytes.
//   2. Lines: a line ends at a CR LF pair, a lone LF or a lone CR; the
//      terminator is not part of the line. A last line without a terminator
//      is a line; an empty file has no lines.
//   3. Joining: empty lines before the first non-empty line are dropped;
//      every later line, empty ones included, follows the text so far after
//      a CR LF. The text never ends with the terminator of the file's last
//      line, so "abc\r\n" reads as "abc" and "abc\r\n\r\n" as "abc\r\n".

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glossmith {

inline constexpr std::string_view kLineBreak = "\r\n";
inline constexpr std::string_view kTextFileSuffix = ".txt";

// The bytes of a file that holds `text`.
std::string TextFileBytes(std::string_view text);

// The text that a file holding `bytes` puts into a pane (decoding, lines and
// joining as above).
std::string TextFromFileBytes(std::string_view bytes);

// The bytes of the file at `path` when it is a regular file that can be read
// to its end; nothing for a FIFO, a device, a folder or any other kind of
// file, and for a file that cannot be opened or read. Never waits: the file
// is opened without blocking and its kind is checked both before and after
// opening, so one swapped for a FIFO in between is refused too.
std::optional<std::string> ReadRegularFile(const std::string& path);

// The name a save really uses: `chosen` unless its last four bytes are
// exactly ".txt" (case counts), otherwise `chosen` + ".txt". "notes" becomes
// "notes.txt", "notes.TXT" becomes "notes.TXT.txt", "a.b" becomes "a.b.txt".
std::string SaveFileName(std::string_view chosen);

// The steps of TextFromFileBytes, one by one.

// True when `bytes` is well-formed UTF-8: shortest forms only, no UTF-16
// surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

// Windows-1252 to UTF-8. The five bytes the code page leaves undefined (0x81,
// 0x8D, 0x8F, 0x90, 0x9D) become the C1 controls of the same number, as
// Windows itself decodes them.
std::string Windows1252ToUtf8(std::string_view bytes);

// UTF-8 text from file bytes (step 1).
std::string DecodeTextFile(std::string_view bytes);

// The lines of decoded text (step 2); the views point into `text`.
std::vector<std::string_view> SplitFileLines(std::string_view text);

// The pane text built from lines (step 3).
std::string JoinFileLines(const std::vector<std::string_view>& lines);

}  // namespace glossmith
