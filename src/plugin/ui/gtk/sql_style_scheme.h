// The SQL editor's colouring: a GtkSourceView style scheme of our own.
#pragma once

#include <gtksourceview/gtksource.h>

namespace veltra::plugin::ui::gtk {

// Comments teal, keywords orange (255, 128, 0), numbers blue, SQL*Plus commands maroon, strings
// red and bold, the current line in the tool-tip background colour. Loaded once; null when the
// scheme cannot be loaded (the editor then keeps the toolkit's default colours).
GtkSourceStyleScheme* SqlStyleScheme();

}  // namespace veltra::plugin::ui::gtk
