// The game's entry point.
int main() { return 0; }
