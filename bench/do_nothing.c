/* The floor for start-up: a program that does nothing at all. */
int main(void) { return 0; }
