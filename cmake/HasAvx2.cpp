// Exits with 0 where this processor runs AVX2: the test suite then runs the
// analysis's tests in that form too.
int main()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? 0 : 1;
}
