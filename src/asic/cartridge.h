// Plus cartridge (CPR) loading from the file open in the file layer.
#pragma once

bool fileCPR();
