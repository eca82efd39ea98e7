// libovcore.so is made of the static library's objects (linked whole); the version script keeps
// only the OV_ functions visible. This translation unit only gives the shared target a source.
