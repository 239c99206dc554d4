#pragma once
// The texts the parse benchmarks read.

#include <cstddef>
#include <string>

// The shipped configuration document as it is, and with its three missing commas put in so a
// strict JSON parser reads the same content.
std::string ShippedDocument();
std::string ShippedDocumentStrict();

// A strict JSON document of at least the given size: an array of records mixing every kind of
// value, names, nested objects and lists, escapes and non-ASCII text. Same seed, same bytes.
std::string GeneratedDocument(std::size_t minimumSize);

// One string of the given size made almost only of escape sequences.
std::string BackslashString(std::size_t size);
