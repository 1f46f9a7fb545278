#include <cstdio>
int main() { std::puts("usage: quorvel-cli split|join ..."); return 2; }
