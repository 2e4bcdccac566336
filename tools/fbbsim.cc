// Placeholder: the FBB dialogue simulator arrives with its own change.
int main() { return 0; }
