#pragma once
// The few errors the program propagates. Each carries the exact message the user is shown by
// the application's general error report; nothing else is added to it.

#include <stdexcept>
#include <string>

// Base of every error the general error report shows.
class ProgramError : public std::runtime_error {
public:
    explicit ProgramError(const std::string& message) : std::runtime_error(message) {}
};

// A typed read of a node of the wrong class, or a configuration root that is not an object.
class InvalidCastError : public ProgramError {
public:
    InvalidCastError() : ProgramError("Invalid class typecast") {}
};

// A text that is not a number where one is required ("'%s' is not a valid integer value"),
// or a number outside the range it must fit.
class ConvertError : public ProgramError {
public:
    using ProgramError::ProgramError;
};

// A format template whose conversions do not match its arguments.
class FormatError : public ProgramError {
public:
    using ProgramError::ProgramError;
};

// Inflating a "ZIP" resource failed: the inflater reported an error, or the stream does not
// deliver exactly the size it announces. The user sees only this word.
class InflateError : public ProgramError {
public:
    InflateError() : ProgramError("Error") {}
};

// A picture that cannot be decoded: empty, damaged, or of a format we have no decoder for.
class PictureError : public ProgramError {
public:
    using ProgramError::ProgramError;
};

// A file the program needs to write could not be made (the folder is not writable, or the
// name is taken by a file or link that is not ours).
class FileCreateError : public ProgramError {
public:
    explicit FileCreateError(const std::string& fileName)
        : ProgramError("Cannot create file \"" + fileName + "\"") {}
};
