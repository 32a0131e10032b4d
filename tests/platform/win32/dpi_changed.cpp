// Posts WM_DPICHANGED with the given DPI to the running agent's hidden window, as Windows sends it
// when the scale of the monitor under that window changes; Wine never sends it. The suggested
// rectangle (lParam) is left out: the agent's window is hidden and has no size to keep.
// Usage: snaplark_dpi_changed DPI
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 2) return 2;
    const auto dpi = static_cast<WORD>(std::atoi(argv[1]));
    const HWND agent = FindWindowW(L"SnaplarkAgent", nullptr);
    if (agent == nullptr) return 1;
    return PostMessageW(agent, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), 0) ? 0 : 1;
}
