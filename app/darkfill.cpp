#include "app/Unit1.h"
#include "framework/application/TApplication.h"
#include "framework/application/WinMain.h"
#include "framework/core/Exception.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    try {
        Application->Initialize();
        Application->CreateForm(&Form1);
        Application->Run();
    } catch (Exception& exception) {
        Application->ShowException(&exception);
    } catch (...) {
        try {
            throw Exception("");
        } catch (Exception& exception) {
            Application->ShowException(&exception);
        }
    }
    return 0;
}
