extern "C" void brisel_placeholder() {}
