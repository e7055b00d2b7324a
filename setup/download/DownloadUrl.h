#pragma once

#include <QString>

// The parts of a URL, whole (no part is cut short).
struct UrlParts {
  bool valid = false;
  QString scheme;  // lower case
  QString host;
  int port = 0;  // the scheme's default when the URL gives none
  QString user;
  QString password;
  QString path;   // as written, "/" when empty
  QString extra;  // "?query" and "#fragment" as written
};

UrlParts CrackUrl(const QString& url);

// FTP, Gopher, HTTP and HTTPS are the schemes a download may use.
bool IsDownloadScheme(const QString& scheme);

// Where a download of `url` goes: `name` when it is a full path, else `name`
// (or, when empty, the URL's file name) inside `folder`. Empty when the URL
// names no file and no name was given.
QString TargetPathFor(const QString& name, const QString& url, const QString& folder);
