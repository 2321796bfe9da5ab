// The open file streams of a base (meta.dat ... data.dat and the list file).
#pragma once

namespace lodex {

struct Base;

struct FileSet {};

}  // namespace lodex
