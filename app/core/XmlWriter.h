// XmlWriter: writes one XML file of the program (settings, GPX). Each file
// kind derives from it and supplies Write(), which produces the document with
// the element writers below.
//
// A save never leaves a half-written file under the real name: the document
// goes to "<name>.temp" in the same folder, which is flushed, synced and then
// renamed over "<name>" in one step; on any failure the temporary file is
// removed, the old file stays as it was, the reason is logged and Save()
// returns false.
//
// When "<name>" is a symbolic link (or a chain of them), the save replaces the
// file at the end of the chain, with its temporary file beside it, and the
// links stay as they are. A dangling link is saved through to the file it
// names when that file's folder exists; otherwise the save fails.
//
// Only a regular file is ever replaced. A save fails (logged, false) and
// leaves the old one as it is when the name or the end of its links is a
// folder, FIFO, socket or device, or a file without write permission for its
// owner (mode bits decide, so root respects a 0444 file too), or one the user
// may not write.
//
// Output is UTF-16 little-endian with the byte-order mark FF FE ("unicode"),
// or UTF-8 without a mark. Pieces are handed over as UTF-8; malformed bytes
// are written as U+FFFD, so every file is well-formed in its encoding.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/XmlReader.h"

namespace rovana {

class XmlWriter {
 public:
  // The longest text TextElement writes, counted after escaping in units of
  // the file's encoding (UTF-16 code units in a unicode file, UTF-8 bytes in
  // a narrow one): XmlReader's longest token less "<![CDATA[" and "]]>".
  // That is 8179 plain BMP characters in a unicode file, 2044 "<" (each
  // written "&lt;"), 4089 characters outside the BMP (surrogate pairs).
  static constexpr std::size_t kMaxTextUnits = XmlReader::kMaxTokenUnits - 12;

  // The file "folder/name". `mode` is the new file's permission bits, applied
  // exactly (the umask does not narrow them); without it the file gets 0666
  // less the umask.
  XmlWriter(std::filesystem::path folder, std::string name, std::optional<mode_t> mode = std::nullopt);
  virtual ~XmlWriter();
  XmlWriter(const XmlWriter&) = delete;
  XmlWriter& operator=(const XmlWriter&) = delete;

  // Writes the declaration "<?xml version="1.0"?>\n", runs Write() and puts
  // the file in place. True when the new file is in place.
  bool Save(bool unicode);

  // Why Save() would fail, as far as can be told without writing: a link
  // that leads nowhere, a file that is never replaced (see above), or a
  // folder that is missing, on a read-only file system or not writable by
  // the user. "<path>: <reason>", or "" when nothing stands against a save
  // (a full disk still can).
  std::string SaveProblem() const;

  // From now on a save keeps the file it replaces as "<file><suffix>" (for
  // a link: beside the file at the end of the links), or, when that name is
  // taken, "<file><suffix>.2" up to ".99"; an existing file of those names is
  // never replaced. No free name fails the save. The old file stays in place
  // until the new one is complete. `suffix` "" stops keeping.
  void KeepReplacedFileAs(std::string suffix);
  // Where the last save kept the replaced file; empty when it kept none.
  const std::filesystem::path& keptAs() const { return keptAs_; }

  const std::filesystem::path& folder() const { return folder_; }
  const std::string& name() const { return name_; }
  std::filesystem::path path() const { return folder_ / name_; }
  // Bytes written by the last save (byte-order mark included).
  std::uint64_t bytesWritten() const { return bytesWritten_; }

 protected:
  // The file kind's document, after the declaration.
  virtual void Write() = 0;

  // Markup as it stands; the caller keeps it well-formed.
  void Raw(std::string_view utf8);
  // printf-style markup, formatted in the "C" locale (so "%lf" always writes
  // a decimal point).
  void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // Element writers; `key` is an element or attribute name written as given.
  // Texts and attribute values too long for XmlReader to read back are cut
  // at a character boundary to the longest prefix that fits, and the cut is
  // logged with the key, the file and both lengths.
  // " <key attribute="value"></key>\n", nothing when the value is empty; the
  // whole start tag stays within XmlReader::kMaxTokenUnits.
  void EmptyElement(std::string_view key, std::string_view attribute, std::string_view value);
  // " <key><![CDATA[text]]></key>\n" without carriage returns; nothing when
  // the text is empty. Inside the section "&", "<" and ">" are written as
  // references, which XmlReader decodes there, so every text (one holding
  // "]]>" or "&lt;" too) reads back as it was, up to kMaxTextUnits.
  void TextElement(std::string_view key, std::string_view text);
  void IntElement(std::string_view key, std::int32_t value);   // " <key>%d</key>\n"
  void RealElement(std::string_view key, double value);        // " <key>%lf</key>\n"
  void BoolElement(std::string_view key, bool value);          // 1 or 0
  // " <key>%lf#%lf#%lf</key>\n": latitude and longitude in degrees, altitude.
  void PositionElement(std::string_view key, const LatLonAlt& value);
  // " <key>\n", one TextElement "s" per item, " </key>\n".
  void ListElement(std::string_view key, const std::vector<std::string>& items);

  // Text made safe for an attribute value or a text element: the references
  // above (plus "&quot;" when `attribute`), and characters XML does not allow
  // (control characters other than tab, line feed and carriage return,
  // U+FFFE, U+FFFF) written as U+FFFD.
  static std::string Escape(std::string_view text, bool attribute);

  // Escape() of the longest prefix of whole characters whose escaped form
  // takes at most `limit` units in this save's encoding; a cut is logged
  // under `key`.
  std::string EscapeWithin(std::string_view key, std::string_view text, bool attribute, std::size_t limit);

 private:
  // The file a save replaces (the end of the links), or empty with the
  // reason in `problem`.
  std::optional<std::filesystem::path> Target(std::string& problem) const;
  void Put(std::string_view utf8);
  void Flush();

  std::filesystem::path folder_;
  std::string name_;
  std::optional<mode_t> mode_;
  int fd_ = -1;
  bool unicode_ = false;
  bool failed_ = false;
  int error_ = 0;
  std::string buffer_;  // encoded bytes not yet written
  std::uint64_t bytesWritten_ = 0;
  std::string keepSuffix_;
  std::filesystem::path keptAs_;
};

}  // namespace rovana
