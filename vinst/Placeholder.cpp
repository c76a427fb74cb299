int VinstPlaceholder() { return 0; }
