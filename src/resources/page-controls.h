// Control ids of the options pages, one block per page.
#pragma once
