#pragma once

#include <QString>

// The per-user "Run" value that names the setup program while its
// prerequisite passes run. Both calls ignore failures.
void AddRunKeyValue(const QString& archivePath);
void RemoveRunKeyValue(const QString& archivePath);
