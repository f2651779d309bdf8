// cZip: the zip options object (being built).
#pragma once
class cZip {};
