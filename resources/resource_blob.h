// The compiled resource file (zorvane.res) embedded in the program, for zv::ResourceTable.
#pragma once
#include <cstddef>

extern "C" const unsigned char zv_resource_blob[];
extern "C" const std::size_t zv_resource_blob_size;
