// cUnzip: the unzip object (being built).
#pragma once
class cUnzip {};
