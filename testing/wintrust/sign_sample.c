/* A program that does nothing, to be signed and listed in a catalog. */
int main(void) {
    return 0;
}
