// SPDX-License-Identifier: ISC
// The exec floor: a program that does nothing, built with the tools'
// compiler and flags. A question can cost no less than this.
int main()
{
	return 0;
}
