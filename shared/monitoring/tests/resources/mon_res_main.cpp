// The resource test programs only carry resources; they are read, never run.
int main()
{
    return 0;
}
