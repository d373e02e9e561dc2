@echo off
rem The suite's main job against the simulated module, as a user would run it.
rem VKS_BIN: the built binaries; VKS_SAMPLE: sample PC files; VKS_OUT: where copies come back.
set PATH=%VKS_BIN%\server;%VKS_BIN%\tools\VKSDir;%VKS_BIN%\tools\VKSCopy;%VKS_BIN%\tools\VKSXCopy;%VKS_BIN%\tools\VKSMkdir;%VKS_BIN%\tools\VKSPort;%VKS_BIN%\tools\VKSClose;%PATH%
rem Wine rebuilds the serial-port list every session: list the simulator's port.
reg add HKLM\HARDWARE\DEVICEMAP\SERIALCOMM /v VKSDemo /t REG_SZ /d %VKS_TEST_PORT% /f >nul
start /wait VKSServer /RegServer
echo ^> VKSPort %VKS_TEST_PORT%
VKSPort %VKS_TEST_PORT%
echo ^> VKSDir mod:
VKSDir mod:
echo ^> VKSDir mod:a:\
VKSDir mod:a:\
echo ^> VKSMkdir mod:a:\Backup
VKSMkdir mod:a:\Backup
echo ^> VKSCopy %VKS_SAMPLE%\report.bin mod:a:\Backup
VKSCopy %VKS_SAMPLE%\report.bin mod:a:\Backup
echo ^> VKSDir mod:a:\Backup
VKSDir mod:a:\Backup
echo ^> VKSCopy mod:a:\Backup\report.bin %VKS_OUT%
VKSCopy mod:a:\Backup\report.bin %VKS_OUT%
echo ^> VKSXCopy mod:a:\Pictures %VKS_OUT%\Pictures
VKSXCopy mod:a:\Pictures %VKS_OUT%\Pictures
echo ^> VKSClose
VKSClose
start /wait VKSServer /UnregServer
reg delete HKLM\HARDWARE\DEVICEMAP\SERIALCOMM /v VKSDemo /f >nul
