// Direct read and write commands of control strings.
#include "vi5z_uvevarov_ave/DevBas.h"

int CDevBas::mfDevIOCtrl(ZOLT_DATA&, CString&, CArray<double, double>&, CStringArray&)
{
    // No direct command is recognised yet.
    return 0;
}
