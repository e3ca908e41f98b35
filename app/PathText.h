#pragma once
// Folder and file names in the settings edits: byte for byte, also a name the system keeps in
// another encoding than UTF-8.

#include <QString>
#include <string>

class QLineEdit;

QString PathText(const std::string& path);
std::string PathIn(const QLineEdit* edit);
