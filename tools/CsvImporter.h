#pragma once
// Imports CSV text (RFC 4180: quoted fields with doubled quotes, commas and line breaks inside
// quotes, CRLF or LF records; UTF-8 with or without a byte order mark) whose first record is a
// header naming the columns.
//
// Header names are matched without regard to case or surrounding blanks:
//   title, name, description     -> description       username, user, user name, login -> user name
//   password, pass               -> password          url, website, web site, address -> URL
//   notes, note, comment(s)      -> comment           category -> category; tags -> tags
//   group, folder, path          -> folder path: "/"-separated, nested folders shared by rows
// A header needs a title-like and a password-like column. Any other column (and a second column
// for a role already taken) becomes a custom field named after its header. Empty cells set
// nothing, except that every entry gets a password. Blank lines and records whose cells are all
// empty are skipped. Errors name the line on which the record starts.

#include "tools/ImportedItems.h"

#include <QByteArray>

namespace keskor {

class CsvImporter {
public:
    /// Folder paths deeper than this are refused.
    static constexpr int kMaxFolderDepth = 64;

    /// Throws CommonException ("line N: ...") on malformed text or a header without the
    /// required columns; nothing is returned then.
    static ImportedItems read(const QByteArray& csv, const ImportProgress& progress = {});
};

} // namespace keskor
