// A library that holds nothing but its version resource.
