#pragma once
// The column kind that stores a field of the given kind.

#include "catalogue/fielddef.h"

#include <memory>

class Column;

[[nodiscard]] std::unique_ptr<Column> makeColumn(Storage storage);
