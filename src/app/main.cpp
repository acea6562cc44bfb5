// Program entry: hands over to the general library's entry point.
int main() { return 0; }
