#pragma once

#include <QString>

// The logged-on user's login name; empty when it cannot be found.
QString loggedOnUserName();
