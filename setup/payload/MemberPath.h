#pragma once

#include <string>

// How the decompressor judges the path of a block's member, in one place, so
// that the builder refuses exactly what the setup would. Plain C++: the
// decompressor links no Qt.
namespace MemberPath {

// A relative path whose parts never climb above where it starts.
bool staysInside(const std::string& path);

bool hasDotDotPart(const std::string& path);

// A link's target as read from the folder the link lies in; it stays inside
// when that path does.
std::string fromLinkFolder(const std::string& link, const std::string& target);

}  // namespace MemberPath
