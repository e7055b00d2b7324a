#include "DownloadUrl.h"

#include <curl/curl.h>

#include <memory>

namespace {

struct UrlHandleDeleter {
  void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};

QString urlPart(CURLU* handle, CURLUPart part, unsigned flags = 0) {
  char* text = nullptr;
  if (curl_url_get(handle, part, &text, flags) != CURLUE_OK) return QString();
  const QString result = QString::fromUtf8(text);
  curl_free(text);
  return result;
}

QString extraOf(CURLU* handle) {
  QString extra;
  const QString query = urlPart(handle, CURLUPART_QUERY);
  const QString fragment = urlPart(handle, CURLUPART_FRAGMENT);
  if (!query.isEmpty()) extra += '?' + query;
  if (!fragment.isEmpty()) extra += '#' + fragment;
  return extra;
}

// The text after the last "/" of the path (after the last backslash for file URLs).
QString fileNameOf(const QString& url) {
  const UrlParts parts = CrackUrl(url);
  if (!parts.valid) return QString();
  QString name = parts.path.section('/', -1);
  if (parts.scheme == "file") name = name.section('\\', -1);
  // "." and ".." name no file and would leave the download folder.
  return name == "." || name == ".." ? QString() : name;
}

}  // namespace

UrlParts CrackUrl(const QString& url) {
  UrlParts parts;
  std::unique_ptr<CURLU, UrlHandleDeleter> handle(curl_url());
  if (!handle) return parts;
  const unsigned flags = CURLU_NON_SUPPORT_SCHEME | CURLU_PATH_AS_IS;
  if (curl_url_set(handle.get(), CURLUPART_URL, url.toUtf8().constData(), flags) != CURLUE_OK) return parts;
  parts.scheme = urlPart(handle.get(), CURLUPART_SCHEME).toLower();
  parts.host = urlPart(handle.get(), CURLUPART_HOST);
  parts.port = urlPart(handle.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT).toInt();
  parts.user = urlPart(handle.get(), CURLUPART_USER);
  parts.password = urlPart(handle.get(), CURLUPART_PASSWORD);
  parts.path = urlPart(handle.get(), CURLUPART_PATH);
  parts.extra = extraOf(handle.get());
  parts.valid = !parts.scheme.isEmpty();
  return parts;
}

bool IsDownloadScheme(const QString& scheme) {
  return scheme == "ftp" || scheme == "gopher" || scheme == "http" || scheme == "https";
}

QString TargetPathFor(const QString& name, const QString& url, const QString& folder) {
  const QString fileName = name.isEmpty() ? fileNameOf(url) : name;
  if (fileName.isEmpty()) return QString();
  if (fileName.startsWith('/')) return fileName;
  if (folder.isEmpty() || folder.endsWith('/')) return folder + fileName;
  return folder + '/' + fileName;
}
