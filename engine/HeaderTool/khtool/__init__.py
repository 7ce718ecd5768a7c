"""The Karvel header tool: reads reflection markers from C++ headers and writes the code that registers them."""
