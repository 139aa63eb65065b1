// A library that is not a component: no GetKavroComponentPtr. The tests put it where the
// language library is looked for.
extern "C" __declspec(dllexport) int __cdecl NotAFactory() {
    return 0;
}
