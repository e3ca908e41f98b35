#pragma once
// Errors the code meeting them does not catch; each carries the German text the program shows.

#include <stdexcept>
#include <string>

class QuarnError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A value could not be written to the registry hive.
class RegistryError : public QuarnError {
public:
    using QuarnError::QuarnError;
};

// A file could not be opened, read, created or written.
class FileError : public QuarnError {
public:
    using QuarnError::QuarnError;
};

// The report engine failed to lay out or render a report.
class ReportError : public QuarnError {
public:
    using QuarnError::QuarnError;
};
